#pragma once
// Runs a dialog modally and, once its window is up, a test script inside its
// own message loop, as a person at the window would act; then ends the dialog.
#include <functional>
#include <vector>

#include "DHtmlDialog.h"

INT_PTR RunModalScript(CDHtmlDialog& dialog, std::function<void()> script, INT_PTR endWith = 0);

// Steps that take the dialog's own message loop between them (a navigation
// to complete, a key press to arrive): each is tried on every tick until it
// reports done, and the dialog ends after the last. A step still not done
// after stepTimeoutMs fails the test and ends the dialog. The dialog's
// result: endWith, or whatever ended it first.
using ModalStep = std::function<bool()>;
INT_PTR RunModalSteps(CDHtmlDialog& dialog, std::vector<ModalStep> steps, INT_PTR endWith = 0,
                      DWORD stepTimeoutMs = 5000);
