// The libraries' constants as C# enums, with the values of tavrel.h and
// tavrel_hostkit.h.
using System;

namespace Tavrel
{
    /// <summary>Task states TVLTask returns.</summary>
    public enum TaskState
    {
        None = 0,
        Adjusting = 4,
        VerifyStart = 5,
        Verifying = 6,
        Waiting = 7,
        End = 8,
    }

    /// <summary>Commands for TVLLogicStaCol.</summary>
    public enum HostCommand
    {
        End = 0,
        Restart = 1,
        Verify = 2,
        Success = 3,
    }

    /// <summary>Statuses the library sends the status callback.</summary>
    public enum Status
    {
        Vibrating = 1,
        Waiting = 2,
        Tuned = 3,
        Verified = 6,
    }

    /// <summary>Areas of the 3 x 3 grid as the library numbers them (X band, Y band).</summary>
    public enum Area
    {
        XLowYMid = 0,
        XLowYLow = 1,
        XLowYHigh = 2,
        XMidYLow = 3,
        XMidYHigh = 4,
        XHighYMid = 5,
        XHighYLow = 6,
        XHighYHigh = 7,
        Centre = 8,
    }

    /// <summary>How an action uses a motor.</summary>
    public enum MotorUse
    {
        Off = 0,
        Aux = 1,
        Main = 2,
    }

    /// <summary>What a session step brought.</summary>
    [Flags]
    public enum StepEvents
    {
        None = 0,
        Vibrated = 1,
        Arrived = 2,
        Tuned = 4,
        Verified = 8,
        Restarted = 16,
        Success = 32,
        Timeout = 64,
    }

    /// <summary>Where a session stands.</summary>
    public enum Outcome
    {
        Running = 0,
        Tuned = 1,
        Failed = 2,
        Budget = 3,
        Stopped = 4,
    }

    /// <summary>Who answers the library's statuses 3 (tuned) and 6 (verified).</summary>
    public enum Answers
    {
        /// <summary>The kit's driver answers verify, then success or restart.</summary>
        Standard = 0,

        /// <summary>Nobody but the host, with Session.Command between steps (as a replay does).</summary>
        Host = 1,
    }

    /// <summary>The kit's result codes.</summary>
    public enum ErrorCode
    {
        Ok = 0,
        Argument = -1,
        Busy = -2,
        State = -3,
        IO = -4,
        Library = -5,
        Callback = -6,
        NoMemory = -7,
        Size = -8,
        Layout = -9,
        Handle = -10,
        Reentry = -11,
        Thread = -12,
        Limit = -13,
        Platform = -14,
    }
}
