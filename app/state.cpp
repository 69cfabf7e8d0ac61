#include "app/state.h"

std::vector<Table> tables;
uint32_t cmd = cmLISTS;
char cOutputFormat[kOutputFormatSize] = "FS SZ TW CC FL";
