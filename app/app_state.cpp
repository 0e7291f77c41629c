#include "app/app_state.h"

// The single instance, alive for the whole process.
AppState App;
