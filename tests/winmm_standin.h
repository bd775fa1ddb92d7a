// A stand-in for the system's winmm.dll, for the tests of syxport under
// Wine (loaded from beside syxport.exe through WINEDLLOVERRIDES=winmm=n).
// Behind it is one MIDI device, "Virtual FB-01", with an input and an
// output, whose far end is the instrument model of instrument_model.h: the
// same model that the POSIX tests reach through a pseudo-terminal.
//
// What it models of the interface, as Microsoft's documentation gives it:
// - midiOutGetNumDevs, midiInGetNumDevs: 1 (0 with "devices=0"; no input
//   with "input=0"). midiOutGetDevCapsW, midiInGetDevCapsW: the name;
//   MMSYSERR_BADDEVICEID for another id, MMSYSERR_INVALPARAM for no caps.
// - midiOutOpen, midiInOpen: CALLBACK_FUNCTION or CALLBACK_NULL; MOM_OPEN
//   and MIM_OPEN are sent; MMSYSERR_BADDEVICEID for another id;
//   MMSYSERR_ALLOCATED when the device is open already, or "in_use=1".
// - Every call on a handle it did not give, or one closed: MMSYSERR_INVALHANDLE.
// - Headers: PrepareHeader sets MHDR_PREPARED; LongMsg and AddBuffer of an
//   unprepared header give MIDIERR_UNPREPARED, of a header in the queue
//   MIDIERR_STILLPLAYING; they set MHDR_INQUEUE and clear MHDR_DONE;
//   UnprepareHeader of a header in the queue gives MIDIERR_STILLPLAYING.
// - midiOutLongMsg: the bytes go out at MIDI's rate, 3,125 bytes a second,
//   one message after the other; when the last byte has left, MHDR_DONE is
//   set, MHDR_INQUEUE cleared and MOM_DONE sent, from the stand-in's own
//   thread. midiOutReset returns every header in the queue done (MOM_DONE).
//   midiOutClose with headers in the queue: MIDIERR_STILLPLAYING.
// - midiInAddBuffer queues a buffer; once started (midiInStart), System
//   Exclusive bytes fill the first buffer in the queue, which is returned
//   with dwBytesRecorded and MHDR_DONE in MIM_LONGDATA when it is full or
//   an F7 ends the message; real-time bytes come as MIM_DATA short messages.
//   midiInStop holds the bytes back; midiInReset returns every buffer done
//   (MIM_LONGDATA, dwBytesRecorded as far as filled). Bytes that find no
//   buffer are lost, as with a driver. midiInClose with buffers in the
//   queue: MIDIERR_STILLPLAYING.
// - midiOutGetErrorTextW, midiInGetErrorTextW: a text for each code it
//   gives. timeBeginPeriod, timeEndPeriod: TIMERR_NOERROR.
// Where it follows the documentation rather than any real driver: the
// times of MOM_DONE and of the returned buffers are those of the cable,
// not of a USB interface's own buffering; a buffer is returned only when
// full or at F7, never after a pause, as the documentation allows.
//
// Set up by the environment of the process that loads it:
//   SYXPORT_STANDIN  "key=value,...": system, need (ms), rate (bytes a
//     second; 0 at once), silent, status (code), sensing, damaged (count),
//     echo, dropped (count), in_use, devices (0 or 1), input (0 or 1),
//     copies (1: a driver that marks a header done as soon as it has copied
//     it, as the documentation allows and USB interfaces do; the copy goes
//     out at MIDI's rate, and a reset or close drops what has not), hold
//     (ms such a driver holds a header before it copies it), held (the
//     long message, from 1, that it holds; 0: every one),
//     interrupt (after that many long messages, a Ctrl-C: raised as the C
//     runtime's SIGINT, since Wine gives a process without a console no
//     console events).
//   SYXPORT_STANDIN_LOG  a file that gets, when the output is closed, one
//     line "out MICROSECONDS HEX..." for each long message as it began on
//     the cable (microseconds from the open), "closed MICROSECONDS", then
//     "stored N", the bank dumps the instrument stored, and a line "misuse
//     FUNCTION CODE" for each call the documentation does not allow (a
//     header unprepared while in the queue, a device closed with buffers
//     not given back, a handle it did not give).
#pragma once
