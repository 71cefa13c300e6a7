#include "Forms.h"

int main(int argc, char *argv[]) { return runTozelo(argc, argv); }
