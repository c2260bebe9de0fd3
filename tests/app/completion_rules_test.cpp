#include "app/completion_rules.h"

#include <gtest/gtest.h>

// Every combination of what was recorded and what the merge came to: the recording is never lost
// while any of it is usable, and the user hears of every file that is not where it was asked for.
TEST(CompletionRules, WhatIsKeptAndWhatIsToldForEveryMergeEnd)
{
    struct Row {
        SaveFacts facts;
        bool room;
        MergeEnd merge; // what it came to when tried
        bool merges;
        SaveRoute route;
        const char* noteStart; // empty: nothing to tell
    };
    const SaveFacts silent{false, false, false};
    const SaveFacts sound{true, false, true};
    const SaveFacts noDevice{true, true, true};
    const SaveFacts noSoundFile{true, false, false};
    const Row rows[] = {
        {silent, true, MergeEnd::Merged, false, SaveRoute::MovieOnly, ""},
        {noDevice, true, MergeEnd::Merged, false, SaveRoute::MovieOnly, "The sound device could not be opened"},
        {sound, true, MergeEnd::Merged, true, SaveRoute::Merged, ""},
        {sound, true, MergeEnd::Failed, true, SaveRoute::MovieAndSoundBeside, "The sound could not be put"},
        {sound, false, MergeEnd::NotTried, false, SaveRoute::MovieAndSoundBeside, "There was no room on the disk"},
        {sound, true, MergeEnd::VideoUnusable, true, SaveRoute::SoundOnly, "The movie could not be saved"},
        {noSoundFile, true, MergeEnd::Failed, true, SaveRoute::MovieOnly, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(static_cast<int>(row.route));
        EXPECT_EQ(ShouldMerge(row.facts, row.room), row.merges);
        const MergeEnd merge = row.merges ? row.merge : MergeEnd::NotTried;
        const SaveRoute route = RouteFor(row.facts, merge);
        EXPECT_EQ(route, row.route);
        const std::string note = SaveNote(route, row.facts, merge, "C:\\m.avi.wav", true);
        EXPECT_EQ(note.rfind(row.noteStart, 0), 0u) << note;
        EXPECT_EQ(note.empty(), std::string(row.noteStart).empty());
        if (route == SaveRoute::MovieAndSoundBeside || route == SaveRoute::SoundOnly) {
            EXPECT_NE(note.find("C:\\m.avi.wav"), std::string::npos) << "says where the sound went";
        }
    }
    EXPECT_EQ(SaveNote(SaveRoute::SoundOnly, sound, MergeEnd::VideoUnusable, "C:\\m.avi.wav", false).find(".wav"),
              std::string::npos)
        << "no sound file is named that is not there";
}
