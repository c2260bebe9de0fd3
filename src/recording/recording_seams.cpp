#include "recording/recording_seams.h"

RecordingSeams& Seams()
{
    static RecordingSeams seams;
    return seams;
}
