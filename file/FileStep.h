#pragma once

// Moments between two steps of a file's read or write, where a test can change the file system
// as another process might at that moment (file/FileStepHook.h, for tests only).
enum class TFileStep {
    // The place is held; the file is not opened yet.
    PlaceHeld,
    // Another holds the file's lock; the wait goes on after a pause.
    WaitingForLock,
    // The new content is complete beside the file; the file is not replaced yet.
    Replacing,
    // Written in place, the file is half old, half new: what goes beyond its old end is
    // written, the old bytes are not overwritten yet.
    WritingInPlace,
    // The folder is about to be synced to disk; folder is its descriptor.
    SyncingFolder,
};

// Tells the tests' hook, when one is set, that step is reached in the held folder folder. Without
// a hook it only looks whether there is one.
void ReachFileStep(TFileStep step, int folder);
