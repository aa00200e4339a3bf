// The way received bytes go in, the same for the export command and the window: each read is
// appended to the recording first, then fed to the de-framer, so whatever is decoded is
// already on its way to disk and the recording reads back to the same frames.
#pragma once

#include <QByteArray>

#include "core/kiss_deframer.h"
#include "kiss_recording.h"

namespace quilmar {

// Records one read (when a recording is open) and feeds it to the de-framer. False, with the
// recording's Error() set, when the bytes could not be recorded; they are not decoded then.
bool RecordAndFeed(const QByteArray& bytes, KissRecording& recording, KissDeframer& deframer);

// To be called before a new connection's bytes. A connection lost inside a frame leaves bytes
// after the last FEND: the next connection's first bytes would be read as the rest of that
// frame. One FEND, recorded and read like a received byte, ends the cut frame, so the live
// view and the recording read back alike. False as for RecordAndFeed.
bool JoinNewConnection(KissRecording& recording, KissDeframer& deframer);

}  // namespace quilmar
