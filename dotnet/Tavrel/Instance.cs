// A private copy of the library and the kit, for one feeder of several.
using System;
using System.Runtime.InteropServices;

namespace Tavrel
{
    /// <summary>
    /// An instance: a private copy of the library and the kit in this process
    /// (Linux, since 1.3.0), with its own library state and C runtime. Sessions,
    /// simulated feeders, recorders and diagnostics made with an instance run
    /// on that copy, and sessions on different instances may run at once on
    /// different threads; each object still serves one thread at a time. A
    /// capture on an instance replaces that copy's standard output stream and
    /// leaves descriptor 1 (and Console.Out) alone. Throws
    /// TavrelLimitException past the C library's limit (11 instances at once
    /// on glibc 2.36, 15 with GLIBC_TUNABLES=glibc.rtld.nns=16 set before the
    /// process starts; 16 on Windows, where an instance's capture throws
    /// TavrelPlatformException: its text is the process's). Dispose it once
    /// the objects made on it are disposed: it refuses before. One that is
    /// forgotten is unloaded after the last of its objects is released.
    /// </summary>
    public sealed class Instance : IDisposable
    {
        readonly InstanceHandle _handle;

        public Instance()
        {
            Errors.Check(Native.tvk_instance_open(null, out _handle), nameof(Native.tvk_instance_open));
            try
            {
                var table = new ApiTable { size = (uint)Marshal.SizeOf(typeof(ApiTable)) };
                Errors.Check(Native.tvk_instance_api(_handle, ref table), nameof(Native.tvk_instance_api));
                Errors.Check(Native.tvk_instance_symbol(_handle, "TVLLogicParamRe", out IntPtr logicParams),
                             nameof(Native.tvk_instance_symbol));
                Api = KitApi.Of(_handle, table, logicParams);
            }
            catch
            {
                _handle.Dispose();
                throw;
            }
        }

        /// <summary>True until the instance is disposed.</summary>
        public bool IsOpen => !_handle.IsClosed;

        internal KitApi Api { get; }

        /// <summary>
        /// Unloads the copy; nothing when disposed before. A
        /// TavrelStateException while an object made on it is not disposed.
        /// </summary>
        public void Dispose()
        {
            int live = _handle.Live;
            if (live > 0 && !_handle.IsClosed)
                throw Errors.For(ErrorCode.State, nameof(Native.tvk_instance_close),
                                 $"{nameof(Native.tvk_instance_close)}: {live} object(s) made on the " +
                                 "instance are alive: dispose them first");
            Errors.Check(_handle.Release(), nameof(Native.tvk_instance_close));
        }

        /// <summary>The table of a copy: the instance's, or the process's for null.</summary>
        internal static KitApi ApiOf(Instance instance)
        {
            if (instance == null)
                return KitApi.Process;
            if (!instance.IsOpen)
                throw new ObjectDisposedException(nameof(Instance), "the instance is closed");
            return instance.Api;
        }
    }
}
