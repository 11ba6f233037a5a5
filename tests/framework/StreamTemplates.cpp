// This binary serves no classes; the framework's factory reads the table.
#include "CounterSource.h"
#include "framework/ClassFactory.h"

CFactoryTemplate g_Templates[1] = {{L"none", &CLSID_CounterSource, nullptr, nullptr, nullptr}};
int g_cTemplates = 0;
