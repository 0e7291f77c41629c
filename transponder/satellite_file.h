// The satellite list file satellite.ini in the working folder and the
// drop-down list built from it.
#pragma once
#include "transponder/transponder.h"

// Writes satellite.ini from the embedded default when no "*atellite.ini" file
// exists. Returns false when the file could not be created; the window has
// then been destroyed and start-up must stop.
bool EnsureSatelliteFile();
void FillSatelliteCombo();
// Fills the drop-down list again from the file, with no entry chosen: the
// file was renewed while the program runs.
void RefillSatelliteCombo();
StartResult ReadSatelliteEntry();
