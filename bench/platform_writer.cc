// What Tolvane would do if it simply called unixODBC's installer: one
// SQLWritePrivateProfileString call into "ODBC.INI".
//   platform_writer DSN KEYWORD VALUE
#include <odbcinst.h>

int main(int argc, char** argv) {
  if (argc < 4) return 2;
  return SQLWritePrivateProfileString(argv[1], argv[2], argv[3], "ODBC.INI") ? 0 : 1;
}
