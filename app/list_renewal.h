// A newer satellites.xml renews the satellite list: dropped on the window, or
// named on the command line as /list:PATH. ZentrikList.dll, loaded for the
// occasion, asks the user and writes the list; the drop-down is filled again
// at once when it did. Without a drop or the switch nothing here loads or
// changes anything. UI thread only.
#pragma once
#include <windows.h>
#include <shellapi.h>

// Before the working folder changes: the file a /list:PATH switch names, a
// relative path taken from the folder the program was started in.
void TakeListSwitch();
// Lets the window take dropped files, then offers the file a /list:PATH
// switch names; nothing once the window is gone.
void StartListRenewal();
// WM_DROPFILES: one file is offered; while measuring, none.
void OnDropFiles(HDROP drop);
