#include "app/Application.h"

int main(int argc, char* argv[]) { return RunTavixPhoto(argc, argv); }
