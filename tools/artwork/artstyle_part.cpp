// The artwork program draws with the shared art style. A tool program links only the library of
// its own folder, so the style's code is compiled into the program here.
#include "tools/artstyle/artstyle_lib.cpp"
