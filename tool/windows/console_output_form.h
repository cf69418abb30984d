#pragma once

// How the messages reach a Windows standard output.
enum class OutputForm {
    ShiftJisStream,   // a file or pipe: the C text stream, flushed after each message
    ShiftJisConsole,  // a console that shows code page 932: the bytes straight to it
    Utf16Console,     // any other console: the same texts through the wide console API
};

// codePage is the console's output code page; it is not looked at for a file or pipe.
OutputForm chooseOutputForm(bool stdoutIsConsole, unsigned codePage);
