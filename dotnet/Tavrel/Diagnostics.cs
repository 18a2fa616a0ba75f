// The library's diagnostic text, kept off the program's standard output.
using System;
using System.Runtime.ExceptionServices;
using System.Runtime.InteropServices;
using System.Text;

namespace Tavrel
{
    /// <summary>
    /// An active capture of the library's standard-output text: to a file, to a
    /// function line by line, or nowhere. File descriptor 1 is process-wide:
    /// while a capture is active, Console.Out goes the same way, so write your
    /// own text to Console.Error or after the capture. One at a time.
    /// </summary>
    public sealed class Diagnostics : IDisposable
    {
        // The kit calls the line function until the capture stops; replaced
        // only once the next capture has started.
#pragma warning disable CS0414 // written only to be held
        static Kit.LineFn s_lineFn;
#pragma warning restore CS0414

        readonly string _what;
        ExceptionDispatchInfo _error;
        bool _active;

        Diagnostics(string what, Func<Diagnostics, int> start)
        {
            _what = what;
            Kit.Check(start(this), "capture " + what);
            _active = true;
        }

        /// <summary>Discards the library's text until disposed.</summary>
        public static Diagnostics Discard() => new Diagnostics("to nowhere", _ => Kit.tvk_capture_discard());

        /// <summary>Captures the library's text into a file (created or truncated).</summary>
        public static Diagnostics ToFile(string path, bool append = false)
        {
            if (path == null)
                throw new ArgumentNullException(nameof(path));
            return new Diagnostics("to " + path, _ => Kit.tvk_capture_to_file(path, append ? 1 : 0));
        }

        /// <summary>Hands each line of the library's text to lines (during session steps and Pump).</summary>
        public static Diagnostics ToLines(Action<string> lines)
        {
            if (lines == null)
                throw new ArgumentNullException(nameof(lines));
            return new Diagnostics("to a function", capture =>
            {
                Kit.LineFn lineFn = (user, line, length) => capture.Deliver(lines, line, length);
                int result = Kit.tvk_capture_to_callback(lineFn, IntPtr.Zero);
                if (result == 0)
                    s_lineFn = lineFn;
                return result;
            });
        }

        /// <summary>True while any capture is active in the process.</summary>
        public static bool Active => Kit.tvk_capture_active() == 1;

        /// <summary>Delivers the complete lines collected so far.</summary>
        public void Pump()
        {
            if (_active)
                Kit.tvk_capture_pump();
            RethrowHeld();
        }

        /// <summary>Delivers what is left and gives standard output back.</summary>
        public void Dispose()
        {
            if (!_active)
                return;
            _active = false;
            Kit.Check(Kit.tvk_capture_stop(), "stop capture " + _what);
            RethrowHeld();
        }

        /// <summary>Throws what the line function threw, if anything.</summary>
        internal void RethrowHeld()
        {
            var error = _error;
            _error = null;
            error?.Throw();
        }

        void Deliver(Action<string> lines, IntPtr line, int length)
        {
            if (_error != null)
                return;
            try
            {
                var bytes = new byte[length];
                Marshal.Copy(line, bytes, 0, length);
                lines(Encoding.UTF8.GetString(bytes));
            }
            catch (Exception error)
            {
                // An exception must not unwind through the kit's C frames.
                _error = ExceptionDispatchInfo.Capture(error);
            }
        }
    }
}
