// Sound-file upload timer of the main window.
#include "app/TMainForm.h"

void TMainForm::Timer2Timer() {}
