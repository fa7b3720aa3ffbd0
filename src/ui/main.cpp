#include "ui/program.h"

int main(int argc, char** argv) { return brinvale::ui::RunProgram(argc, argv); }
