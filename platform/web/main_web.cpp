// The web build's entry: the page calls it once the data is in. The end goes through exit, so
// the page hears of it even after main has handed the browser its turns.
#include <cstdlib>

#include "shell/startup.h"

int main(int argc, char** argv) {
    std::exit(vantrose::vantrose_main(argc, argv));
}
