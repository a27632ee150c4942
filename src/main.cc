#include <iostream>

#include "installer.h"
#include "tolvane.h"

int main(int argc, char** argv) {
  const auto installer = tolvane::make_platform_installer();
  return tolvane::run(argc, argv, *installer, std::cout, std::cerr);
}
