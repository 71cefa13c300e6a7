#pragma once
#include <functional>

class TForm1;
class TForm2;
class TForm3;
class TForm4;
class TForm5;

// The five windows of the program, reachable from anywhere; null before their creation.
extern TForm1 *Form1;
extern TForm2 *Form2;
extern TForm3 *Form3;
extern TForm4 *Form4;
extern TForm5 *Form5;

// Creates the windows in their order; what a creation throws leaves none of them behind.
void createForms();
void destroyForms();

// The program: start-up, then the message loop until the main window closes. started, when given,
// runs in that loop once the main window shows (a test's driver).
int runTozelo(int argc, char *argv[], const std::function<void()> &started = {});
