#pragma once

namespace kv::entry {

// The whole program: options, world, start-up checks, then the window or
// the terminal front end. Returns the exit code.
int runKvflash(int argc, char** argv);

}  // namespace kv::entry
