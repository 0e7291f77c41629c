// The MainWindow's window procedure, the key filter of the satellite list and
// the tooltips. The window procedure only dispatches to small handlers.
#pragma once
#include <windows.h>

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK ComboKeyFilter(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void InstallComboKeyFilter();
void CreateTooltips();

// The product's home page, opened by the house button.
constexpr char kHomePageAddress[] = "https://zentrik.example.org/";
