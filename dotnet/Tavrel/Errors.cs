// A failing kit call as an exception: one class per result code, with what
// the kit said it refused.
using System;
using System.Collections.Generic;

namespace Tavrel
{
    /// <summary>
    /// A kit call failed. Code is the kit's result code, Function the kit
    /// function that refused and KitMessage what it said it refused
    /// (tvk_errmsg), "" when it said nothing for this call.
    /// </summary>
    public class TavrelException : Exception
    {
        public ErrorCode Code { get; }
        public string Function { get; }
        public string KitMessage { get; }

        public TavrelException(ErrorCode code, string function, string kitMessage)
            : base(kitMessage.Length > 0 ? $"{kitMessage} ({code})"
                                         : $"{function}: {Kit.ErrorText(code)} ({code})")
        {
            Code = code;
            Function = function;
            KitMessage = kitMessage;
        }
    }

    /// <summary>A null pointer or a value out of range.</summary>
    public class TavrelArgumentException : TavrelException
    {
        public TavrelArgumentException(string function, string kitMessage)
            : base(ErrorCode.Argument, function, kitMessage) { }
    }

    /// <summary>A session or a capture is already active in this process.</summary>
    public class TavrelBusyException : TavrelException
    {
        public TavrelBusyException(string function, string kitMessage)
            : base(ErrorCode.Busy, function, kitMessage) { }
    }

    /// <summary>Not allowed now: the session is over, or no capture is active.</summary>
    public class TavrelStateException : TavrelException
    {
        public TavrelStateException(string function, string kitMessage)
            : base(ErrorCode.State, function, kitMessage) { }
    }

    /// <summary>A file or descriptor operation failed; KitMessage says why.</summary>
    public class TavrelIOException : TavrelException
    {
        public TavrelIOException(string function, string kitMessage)
            : base(ErrorCode.IO, function, kitMessage) { }
    }

    /// <summary>The library refused: TVLInit returned 0.</summary>
    public class TavrelLibraryException : TavrelException
    {
        public TavrelLibraryException(string function, string kitMessage)
            : base(ErrorCode.Library, function, kitMessage) { }
    }

    /// <summary>A host callback reported an error.</summary>
    public class TavrelCallbackException : TavrelException
    {
        public TavrelCallbackException(string function, string kitMessage)
            : base(ErrorCode.Callback, function, kitMessage) { }
    }

    /// <summary>The kit ran out of memory.</summary>
    public class TavrelNoMemoryException : TavrelException
    {
        public TavrelNoMemoryException(string function, string kitMessage)
            : base(ErrorCode.NoMemory, function, kitMessage) { }
    }

    /// <summary>A record size the kit cannot serve.</summary>
    public class TavrelSizeException : TavrelException
    {
        public TavrelSizeException(string function, string kitMessage)
            : base(ErrorCode.Size, function, kitMessage) { }
    }

    /// <summary>The loaded libtavrel lays out its records otherwise than the kit was built for.</summary>
    public class TavrelLayoutException : TavrelException
    {
        public TavrelLayoutException(string function, string kitMessage)
            : base(ErrorCode.Layout, function, kitMessage) { }
    }

    /// <summary>A handle of an ended session, a closed recorder or a destroyed feeder.</summary>
    public class TavrelHandleException : TavrelException
    {
        public TavrelHandleException(string function, string kitMessage)
            : base(ErrorCode.Handle, function, kitMessage) { }
    }

    /// <summary>Called from inside one of the kit's callbacks.</summary>
    public class TavrelReentryException : TavrelException
    {
        public TavrelReentryException(string function, string kitMessage)
            : base(ErrorCode.Reentry, function, kitMessage) { }
    }

    /// <summary>The object is in use by a call on another thread.</summary>
    public class TavrelThreadException : TavrelException
    {
        public TavrelThreadException(string function, string kitMessage)
            : base(ErrorCode.Thread, function, kitMessage) { }
    }

    /// <summary>The process holds as many instances as the C library's loader allows (since 1.3.0).</summary>
    public class TavrelLimitException : TavrelException
    {
        public TavrelLimitException(string function, string kitMessage)
            : base(ErrorCode.Limit, function, kitMessage) { }
    }

    /// <summary>Not available on this platform: instances on Windows (since 1.3.0).</summary>
    public class TavrelPlatformException : TavrelException
    {
        public TavrelPlatformException(string function, string kitMessage)
            : base(ErrorCode.Platform, function, kitMessage) { }
    }

    /// <summary>Turns the kit's negative results into exceptions.</summary>
    internal static class Errors
    {
        static readonly Dictionary<ErrorCode, Func<string, string, TavrelException>> ByCode =
            new Dictionary<ErrorCode, Func<string, string, TavrelException>>
            {
                [ErrorCode.Argument] = (f, m) => new TavrelArgumentException(f, m),
                [ErrorCode.Busy] = (f, m) => new TavrelBusyException(f, m),
                [ErrorCode.State] = (f, m) => new TavrelStateException(f, m),
                [ErrorCode.IO] = (f, m) => new TavrelIOException(f, m),
                [ErrorCode.Library] = (f, m) => new TavrelLibraryException(f, m),
                [ErrorCode.Callback] = (f, m) => new TavrelCallbackException(f, m),
                [ErrorCode.NoMemory] = (f, m) => new TavrelNoMemoryException(f, m),
                [ErrorCode.Size] = (f, m) => new TavrelSizeException(f, m),
                [ErrorCode.Layout] = (f, m) => new TavrelLayoutException(f, m),
                [ErrorCode.Handle] = (f, m) => new TavrelHandleException(f, m),
                [ErrorCode.Reentry] = (f, m) => new TavrelReentryException(f, m),
                [ErrorCode.Thread] = (f, m) => new TavrelThreadException(f, m),
                [ErrorCode.Limit] = (f, m) => new TavrelLimitException(f, m),
                [ErrorCode.Platform] = (f, m) => new TavrelPlatformException(f, m),
            };

        /// <summary>
        /// Throws for a negative result of function, read on the thread that
        /// made the call before any other kit call (in the copy that made it:
        /// null for the process's own); returns it otherwise.
        /// </summary>
        internal static int Check(int result, string function, KitApi api = null)
        {
            if (result < 0)
                throw For((ErrorCode)result, function, MessageOf(function, api ?? KitApi.Process));
            return result;
        }

        internal static TavrelException For(ErrorCode code, string function, string kitMessage) =>
            ByCode.TryGetValue(code, out var make) ? make(function, kitMessage)
                                                   : new TavrelException(code, function, kitMessage);

        // The kit keeps the text of the last failure on this thread: a text
        // that names another function is an older failure's.
        static string MessageOf(string function, KitApi api)
        {
            string message = Native.Text(api.errmsg());
            return message.StartsWith(function + ":", StringComparison.Ordinal) ? message : "";
        }
    }
}
