// The host system's memory allocator for the POSIX stand-in: an in-process server
// of one class, CLSID_MemoryAllocator, served by the framework's CMemAllocator.
// The platform runtime loads it from its own directory when a caller asks for
// that class; it exports only DllGetClassObject and DllCanUnloadNow, so its
// copy of the framework never meets another module's.
#include "framework/ClassFactory.h"
#include "media/Allocator.h"

CFactoryTemplate g_Templates[] = {
    {L"Memory Allocator", &CLSID_MemoryAllocator, CMemAllocator::CreateInstance, nullptr, nullptr},
};
int g_cTemplates = sizeof(g_Templates) / sizeof(g_Templates[0]);
