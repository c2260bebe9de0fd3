#pragma once
// At start: recordings that a run which crashed left in the temporary folder are offered back,
// with one question. Recovered ones go on to the Save dialog like a stopped recording; declined
// ones are deleted.
#include <windows.h>

class CRecordingCompletion;

void OfferLeftRecordings(HWND mainWindow, CRecordingCompletion& completion);
