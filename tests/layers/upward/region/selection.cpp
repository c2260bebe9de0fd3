// Fixture for the layer check: a lower folder reaching up into app/.
#include "region/selection.h"
#include "app/main_dialog.h"
