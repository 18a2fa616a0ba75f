// The library's diagnostic text, kept off the program's standard output.
using System;
using System.Runtime.InteropServices;
using System.Text;

namespace Tavrel
{
    /// <summary>
    /// An active capture of the library's standard-output text: to a file, to a
    /// function line by line, or nowhere. File descriptor 1 is process-wide:
    /// while a capture is active, Console.Out goes the same way, so write your
    /// own text to Console.Error or after the capture. One at a time; one
    /// never disposed stops when it is collected.
    /// </summary>
    public sealed class Diagnostics : IDisposable
    {
        readonly CaptureHandle _handle;

        Diagnostics(Func<int> start, Native.LineFn lines, string function)
        {
            Errors.Check(start(), function);
            _handle = new CaptureHandle(lines);
        }

        /// <summary>Discards the library's text until disposed.</summary>
        public static Diagnostics Discard() =>
            new Diagnostics(Native.tvk_capture_discard, null, nameof(Native.tvk_capture_discard));

        /// <summary>Captures the library's text into a file (created or truncated).</summary>
        public static Diagnostics ToFile(string path, bool append = false)
        {
            if (path == null)
                throw new ArgumentNullException(nameof(path));
            return new Diagnostics(() => Native.tvk_capture_to_file(path, append ? 1 : 0), null,
                                   nameof(Native.tvk_capture_to_file));
        }

        /// <summary>Hands each line of the library's text to lines (during session steps and Pump).</summary>
        public static Diagnostics ToLines(Action<string> lines)
        {
            if (lines == null)
                throw new ArgumentNullException(nameof(lines));
            Native.LineFn lineFn = (user, line, length) => Deliver(lines, line, length);
            return new Diagnostics(() => Native.tvk_capture_to_callback(lineFn, IntPtr.Zero), lineFn,
                                   nameof(Native.tvk_capture_to_callback));
        }

        /// <summary>True while any capture is active in the process.</summary>
        public static bool Active => Native.tvk_capture_active() == 1;

        /// <summary>Delivers the complete lines collected so far.</summary>
        public void Pump()
        {
            if (_handle.IsClosed)
                throw new ObjectDisposedException(nameof(Diagnostics), "the capture has stopped");
            Callbacks.Finish(Native.tvk_capture_pump(), nameof(Native.tvk_capture_pump));
        }

        internal CaptureHandle Handle => _handle;

        /// <summary>Delivers what is left and gives standard output back.</summary>
        public void Dispose() => Callbacks.Finish(_handle.Release(), nameof(Native.tvk_capture_stop));

        static void Deliver(Action<string> lines, IntPtr line, int length) =>
            Callbacks.Guard(() =>
            {
                var bytes = new byte[length];
                Marshal.Copy(line, bytes, 0, length);
                lines(Encoding.UTF8.GetString(bytes));
                return 0;
            });
    }
}
