#include "media/IntToWstr.h"

void IntToWstr(LONG value, WCHAR* buffer) { wsprintfW(buffer, L"%d", value); }
