// The frame loop and the screen flow.
#pragma once

// Enters the loop and runs frames until the player quits or a fatal error ends it.
void RunMainLoop();
