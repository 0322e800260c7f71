#include "shell/startup.h"

int main(int argc, char** argv) {
    return vantrose::vantrose_main(argc, argv);
}
