# The level tools write map entries with the map-pack writer and draw with the shared art style.
target_link_libraries(levels_lib PUBLIC mapwriter_lib artstyle_lib)
