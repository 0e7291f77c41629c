// Interface ids that mingw-w64's import libraries lack (IDVBSLocator2,
// IDigitalLocator, IBDA_DiseqCommand, ...): defined here from the headers.
#include <windows.h>
#include <initguid.h>
#include <tuner.h>
#include <bdaiface.h>
