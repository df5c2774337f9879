// What the export hands each copied frame to when the file module asks for the frames as the
// view shows them (parameter 346 = 1): a stage that turns the raw frame into the image written,
// e.g. the view's process chain (demosaiced, look-up table applied). No Qt here: the sequences
// know the stage only through this interface.
//
// Threads: Process runs on the sequence's save thread with no sequence mutex held. The stage
// takes its own locks (a view's chain lock, which comes before a sequence's mutex, never after)
// for one frame at a time and never while the writer encodes.
#pragma once

class CLumoImage;

class CExportStage {
public:
    virtual ~CExportStage() = default;
    // Turns `raw`, one copied frame of the sequence, into the image to write; the image is the
    // stage's own and stays valid until the next call. Null when processing failed.
    virtual CLumoImage* Process(CLumoImage& raw) = 0;
};
