// The MainWindow's window procedure, the key filter of the satellite list and
// the tooltips. The window procedure only dispatches to small handlers.
#pragma once
#include <windows.h>

#include "zentrik_version.h"

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK ComboKeyFilter(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void InstallComboKeyFilter();
void CreateTooltips();

// The product's home page, opened by the house button: a build setting, the
// manual installed beside the program until the product has a public site.
constexpr char kHomePageAddress[] = ZENTRIK_HOME_PAGE;
