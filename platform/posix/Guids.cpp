// Defines every GUID that the stand-in's headers declare, once.
#define INITGUID
#include "platform/posix/dshow.h"
