// The stream tap: a small DirectShow filter of the bridge's own, put between
// the card's transport stream output and the MPEG-2 demultiplexer, that hands
// each sample to the broadcast identity reader (which keeps only the NIT and
// SDT packets) and passes it on unchanged.
//
// Why a filter of our own: the tables are in the stream the graph already
// carries. Windows' own way to them, the MPEG-2 Sections and Tables filter
// behind the demultiplexer, has IMpeg2Data::GetSection, which Microsoft has
// not documented for use since Windows 7; and the demultiplexer's output pins
// for PIDs 0x10 and 0x11 would need a sink anyway. A pass-through in front of
// the demultiplexer keeps the graph as the network provider expects it (the
// demultiplexer connected to the card) and reads the stream on the card's own
// delivery thread, where the lock and level reads never wait for it.
#pragma once
#include <windows.h>
#include <dshow.h>

#include "identity/broadcast_identity.h"

// E_OUTOFMEMORY, and no tap, when there is no memory for it or its reader.
HRESULT CreateStreamTap(IBaseFilter** tap);
// The reader takes the stream only while the tap is open. Closing it forgets
// what the stream has said: at every tune, and whenever the bridge's
// statistics find no lock, what comes through after is not what was read
// (samples still on their way from the transponder tuned before, or another
// satellite once the lock returns). The bridge opens it when a statistics
// read that began once the latest tune had settled finds the lock
// (StreamTapMayOpen, bda_mapping.h). A new tap is closed.
void CloseStreamTap(IBaseFilter* tap);
// Opens or closes the tap as the statistics read found, then logs what
// TakeStreamTapFailures hands out: from the bridge's worker, never from the
// card's delivery thread. CloseStreamTap logs nothing.
void SetStreamTapOpen(IBaseFilter* tap, bool open);
// What the stream has said since the tap last opened; an empty identity for
// a null tap. Never waits for the card: only for a sample being read.
BroadcastIdentity ReadStreamTap(IBaseFilter* tap);
// How many bytes of stream the tap has seen since it was made (bdaprobe).
ULONGLONG StreamTapBytes(IBaseFilter* tap);

// What the demultiplexer behind the tap refused: the first failed Receive and
// the first failed NotifyAllocator, each S_OK when there was none. The card's
// delivery thread only notes them; each is handed out once.
struct StreamTapFailures {
    HRESULT Receive = S_OK;
    HRESULT Allocator = S_OK;
};
StreamTapFailures TakeStreamTapFailures(IBaseFilter* tap);

// Adds the tap to the graph and connects the card's transport output (card:
// the receiver, or the tuner where there is none) to it; the demultiplexer
// is then connected to the tap's output. False, with the tap out of the
// graph again, where the card's output will not connect to it.
bool InsertStreamTap(IGraphBuilder* graph, IBaseFilter* card, IBaseFilter* tap);
