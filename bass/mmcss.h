#pragma once
// The system's scheduling of audio threads (MMCSS): a thread that joins the
// "Pro Audio" task (else "Audio") runs ahead of ordinary work on a busy
// machine. Joining may fail (no service, a system without it): the thread
// then runs at the priority it has, which is no error.

// A token for LeaveAudioTask; nullptr when the thread did not join.
void* JoinAudioTask();
void LeaveAudioTask(void* token);
