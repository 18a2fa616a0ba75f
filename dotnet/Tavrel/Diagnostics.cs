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
        readonly KitApi _api;

        Diagnostics(KitApi api, Func<int> start, Native.LineFn lines, string function)
        {
            _api = api;
            Errors.Check(start(), function, api);
            _handle = new CaptureHandle(lines, api);
        }

        /// <summary>Discards the library's text until disposed.</summary>
        public static Diagnostics Discard() => Discard(null);

        /// <summary>
        /// Discards the text of an instance's copy (null: the process's) until
        /// disposed. Since 1.3.0.
        /// </summary>
        public static Diagnostics Discard(Instance instance)
        {
            KitApi api = Instance.ApiOf(instance);
            return new Diagnostics(api, () => api.capture_discard(), null, nameof(Native.tvk_capture_discard));
        }

        /// <summary>Captures the library's text into a file (created or truncated).</summary>
        public static Diagnostics ToFile(string path, bool append = false) => ToFile(path, append, null);

        /// <summary>Captures the text of an instance's copy (null: the process's) into a file. Since 1.3.0.</summary>
        public static Diagnostics ToFile(string path, bool append, Instance instance)
        {
            if (path == null)
                throw new ArgumentNullException(nameof(path));
            KitApi api = Instance.ApiOf(instance);
            return new Diagnostics(api, () => api.capture_to_file(path, append ? 1 : 0), null,
                                   nameof(Native.tvk_capture_to_file));
        }

        /// <summary>Hands each line of the library's text to lines (during session steps and Pump).</summary>
        public static Diagnostics ToLines(Action<string> lines) => ToLines(lines, null);

        /// <summary>Hands each line of an instance's copy (null: the process's) to lines. Since 1.3.0.</summary>
        public static Diagnostics ToLines(Action<string> lines, Instance instance)
        {
            if (lines == null)
                throw new ArgumentNullException(nameof(lines));
            KitApi api = Instance.ApiOf(instance);
            Native.LineFn lineFn = (user, line, length) => Deliver(lines, line, length);
            return new Diagnostics(api, () => api.capture_to_callback(lineFn, IntPtr.Zero), lineFn,
                                   nameof(Native.tvk_capture_to_callback));
        }

        /// <summary>True while any capture is active in the process.</summary>
        public static bool Active => IsActive(null);

        /// <summary>True while a capture of an instance's copy (null: the process's) is active. Since 1.3.0.</summary>
        public static bool IsActive(Instance instance) => Instance.ApiOf(instance).capture_active() == 1;

        /// <summary>Delivers the complete lines collected so far.</summary>
        public void Pump()
        {
            if (_handle.IsClosed)
                throw new ObjectDisposedException(nameof(Diagnostics), "the capture has stopped");
            Callbacks.Finish(_api.capture_pump(), nameof(Native.tvk_capture_pump), _api);
        }

        internal CaptureHandle Handle => _handle;

        /// <summary>Delivers what is left and gives standard output back.</summary>
        public void Dispose() => Callbacks.Finish(_handle.Release(), nameof(Native.tvk_capture_stop), _api);

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
