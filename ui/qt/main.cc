#include "Quenby.h"

CQuenbyApp theApp;

int main(int argc, char* argv[]) {
  return RunApplication(&theApp, argc > 0 ? argv[0] : nullptr);
}
