// The kit's objects as SafeHandles: each is released exactly once, by
// Dispose or, for one the host forgot, by the finalizer; a call under way
// holds its handle, so a release from another thread waits for it.
using System;
using System.Runtime.InteropServices;

namespace Tavrel
{
    internal abstract class KitHandle : SafeHandle
    {
        int _released;

        protected KitHandle() : base(IntPtr.Zero, true) { }

        public override bool IsInvalid => handle == IntPtr.Zero;

        /// <summary>
        /// Releases the object and gives the kit's result; 0 when it was released
        /// before, or is left to a call under way on another thread to release.
        /// </summary>
        internal int Release()
        {
            Dispose();
            return _released;
        }

        protected sealed override bool ReleaseHandle()
        {
            _released = Free(handle);
            return _released == 0;
        }

        protected abstract int Free(IntPtr handle);
    }

    internal sealed class SessionHandle : KitHandle
    {
        // The kit calls these until the session ends.
        internal Native.CameraFn Camera;
        internal Native.FeederFn Feeder;

        /// <summary>The capture the session started, stopped with it on the same thread.</summary>
        internal CaptureHandle Capture;

        public SessionHandle() { }

        protected override int Free(IntPtr session)
        {
            int ended = Native.tvk_session_end(session);
            Capture?.Dispose();
            return ended;
        }
    }

    internal sealed class RecorderHandle : KitHandle
    {
        /// <summary>True: the release finishes the file; false: it leaves nothing at the path.</summary>
        internal bool Finish;

        public RecorderHandle() { }

        protected override int Free(IntPtr recorder)
        {
            if (Finish)
                return Native.tvk_recorder_close(recorder);
            Native.tvk_recorder_abandon(recorder);
            return 0;
        }
    }

    internal sealed class SimFeederHandle : KitHandle
    {
        public SimFeederHandle() { }

        protected override int Free(IntPtr sim)
        {
            Native.tvk_sim_destroy(sim);
            return 0;
        }
    }

    /// <summary>
    /// The process's one capture. It has no pointer of its own: a token
    /// stands for it, so that it is stopped once, also when forgotten.
    /// </summary>
    internal sealed class CaptureHandle : KitHandle
    {
        // The kit calls this until the capture stops.
#pragma warning disable CS0414 // written only to be held
        readonly Native.LineFn _lines;
#pragma warning restore CS0414

        internal CaptureHandle(Native.LineFn lines)
        {
            _lines = lines;
            SetHandle(new IntPtr(1));
        }

        protected override int Free(IntPtr token) => Native.tvk_capture_stop();
    }
}
