#pragma once
// Runs a dialog modally and, once its window is up, a test script inside its
// own message loop, as a person at the window would act; then ends the dialog.
#include <functional>

#include "DHtmlDialog.h"

INT_PTR RunModalScript(CDHtmlDialog& dialog, std::function<void()> script, INT_PTR endWith = 0);
