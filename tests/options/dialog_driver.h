#pragma once
// Runs a modal dialog of this thread and drives it from a timer once it shows, the way a person
// would use it; the message boxes it raises are answered with OK and kept.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// "caption|text" of every message box since the last Clear.
std::vector<std::string>& AnsweredBoxes();

// open() runs the dialog modally; script() gets its window once it is shown and must end it.
void DriveModal(const char* title, const std::function<void()>& open, const std::function<void(HWND)>& script);

// Once a window of this thread with the title shows (a common dialog opened by a click to come),
// answer() gets it and must end it.
void AnswerWhenShown(const char* title, const std::function<void(HWND)>& answer);

// What a person's actions send: a click, a new list entry, a slider moved, text typed.
void ClickButton(HWND dialog, int id);
void ChooseEntry(HWND dialog, int id, int index);
void MoveSlider(HWND dialog, int id, int position);
void TypeText(HWND dialog, int id, const std::string& text);
std::string ItemText(HWND dialog, int id);
bool ItemEnabled(HWND dialog, int id);
bool ItemChecked(HWND dialog, int id);
int ChosenEntry(HWND dialog, int id);
// Ids of the controls that Tab visits, from the first.
std::vector<int> TabOrder(HWND dialog);
