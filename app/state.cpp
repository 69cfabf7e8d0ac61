// The run-wide state and its defaults before the command line is read.
#include "app/state.h"

std::vector<Table> tables;
uint32_t cmd = cmLISTS;
char cOutputFormat[kOutputFormatSize] = "FS SZ TW CC FL";
