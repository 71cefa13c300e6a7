#include "TestSeams.h"

TestSeams &TestSeams::instance()
{
    static TestSeams seams;
    return seams;
}
