#pragma once
// The buffers one thread decodes chunks with: the stored bytes and two
// stages of filter output, reused from chunk to chunk.

#include "io/scratch_buffer.h"

namespace tarq::hdf5 {

struct ChunkScratch {
    ScratchBuffer stored;
    ScratchBuffer stage_a;
    ScratchBuffer stage_b;
};

// This thread's buffers; a pool worker keeps them for its lifetime.
[[nodiscard]] ChunkScratch& thread_chunk_scratch();

}  // namespace tarq::hdf5
