#pragma once

// Program entry: sets up the application, creates the four windows in their
// order and runs the message loop. Always returns 0.
int runApplication(int argc, char** argv);
