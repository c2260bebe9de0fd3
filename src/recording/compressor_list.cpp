#include "recording/compressor_list.h"

CompressorList& Compressors()
{
    static CompressorList list;
    return list;
}
