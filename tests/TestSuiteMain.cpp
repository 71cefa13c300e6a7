#include "TestMain.h"

int main(int argc, char **argv)
{
    return TestMain::runNamed(argc, argv);
}
