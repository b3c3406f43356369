# Two builds of one commit, in folders of any depth, give the same
# programs: what the compiler writes of a path (debug information, __FILE__)
# names the source folder "." and the build folder "./build" (the later
# option wins where the build folder lies inside the source folder). The
# Windows linker writes no time into the programs
# (cmake/mingw-w64-x86_64.cmake); the release files carry the changelog's
# date (cmake/version.cmake).
add_compile_options(-ffile-prefix-map=${PROJECT_SOURCE_DIR}=.
                    -ffile-prefix-map=${PROJECT_BINARY_DIR}=./build)
