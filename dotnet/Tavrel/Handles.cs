// The kit's objects as SafeHandles: each is released exactly once, by
// Dispose or, for one the host forgot, by the finalizer; a call under way
// holds its handle, so a release from another thread waits for it.
using System;
using System.Runtime.InteropServices;
using System.Threading;

namespace Tavrel
{
    internal abstract class KitHandle : SafeHandle
    {
        int _released;

        /// <summary>The copy of the kit that made the object and ends it.</summary>
        internal KitApi Api { get; private set; } = KitApi.Process;

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

        /// <summary>
        /// Binds the handle to the copy that made it: an instance's copy stays
        /// loaded until the handle is released.
        /// </summary>
        internal void Adopt(KitApi api)
        {
            Api = api;
            api.Instance?.Hold();
        }

        protected sealed override bool ReleaseHandle()
        {
            _released = Free(handle);
            Api.Instance?.LetGo();
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
            int ended = Api.session_end(session);
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
                return Api.recorder_close(recorder);
            Api.recorder_abandon(recorder);
            return 0;
        }
    }

    internal sealed class SimFeederHandle : KitHandle
    {
        public SimFeederHandle() { }

        protected override int Free(IntPtr sim)
        {
            Api.sim_destroy(sim);
            return 0;
        }
    }

    /// <summary>
    /// An instance: its table's functions are good until the kit closes it,
    /// which waits for the last of the objects made on it (each holds a
    /// reference), so a forgotten object is still ended by the code that made it.
    /// </summary>
    internal sealed class InstanceHandle : KitHandle
    {
        int _live;

        public InstanceHandle() { }

        /// <summary>How many objects made on the instance are not yet released.</summary>
        internal int Live => Volatile.Read(ref _live);

        internal void Hold()
        {
            bool added = false;
            DangerousAddRef(ref added);
            Interlocked.Increment(ref _live);
        }

        internal void LetGo()
        {
            Interlocked.Decrement(ref _live);
            DangerousRelease();
        }

        protected override int Free(IntPtr instance) => Native.tvk_instance_close(instance);
    }

    /// <summary>
    /// The capture of the process or of an instance. It has no pointer of its own: a token
    /// stands for it, so that it is stopped once, also when forgotten.
    /// </summary>
    internal sealed class CaptureHandle : KitHandle
    {
        // The kit calls this until the capture stops.
#pragma warning disable CS0414 // written only to be held
        readonly Native.LineFn _lines;
#pragma warning restore CS0414

        internal CaptureHandle(Native.LineFn lines, KitApi api)
        {
            _lines = lines;
            SetHandle(new IntPtr(1));
            Adopt(api);
        }

        protected override int Free(IntPtr token) => Api.capture_stop();
    }
}
