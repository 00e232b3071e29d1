// The module whose resources every picture, the icon, the menu, the key table and the boxes come
// from. WinMain sets it first thing; test programs set it to their own module, which links the
// same resources.
#ifndef TAVUNE_APP_INSTANCE_H
#define TAVUNE_APP_INSTANCE_H

#include <windows.h>

extern HINSTANCE appInstance;

#endif
