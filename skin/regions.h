// Hit regions of the skin's controls.
#pragma once

void CreateButtonRegions();
void CreateKeypadRegions();
