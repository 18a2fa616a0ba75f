// The step trace tavrel-replay reads.
using System;

namespace Tavrel
{
    /// <summary>
    /// Writes a trace of a session's steps for a model and action: a CSV file
    /// with one row per step that tavrel-replay reads. The file appears
    /// complete at Close; disposed without Close (or forgotten), the recorder
    /// leaves nothing at the path.
    /// </summary>
    public sealed class Recorder : IDisposable
    {
        readonly RecorderHandle _handle;
        readonly KitApi _api;

        public Recorder(string path, int model, int action) : this(path, model, action, null) { }

        /// <summary>A recorder of an instance's copy (null: the process's). Since 1.3.0.</summary>
        public Recorder(string path, int model, int action, Instance instance)
        {
            if (path == null)
                throw new ArgumentNullException(nameof(path));
            Arguments.ModelAction(model, action);
            _api = Instance.ApiOf(instance);
            Errors.Check(_api.recorder_open(path, model, action, out _handle), nameof(Native.tvk_recorder_open),
                         _api);
            _handle.Adopt(_api);
        }

        /// <summary>
        /// One row: timeSeconds is when the host called the step, on a clock
        /// that never goes back (Kit.ClockSeconds reproduces the library's
        /// timeouts); reset: the host put the part back after the step.
        /// </summary>
        public void Write(double timeSeconds, StepReport step, bool reset) =>
            Errors.Check(_api.recorder_write(_handle, timeSeconds, ref step, reset ? 1 : 0),
                         nameof(Native.tvk_recorder_write), _api);

        /// <summary>Finishes the file; a TavrelIOException when a write failed (nothing is left at the path then).</summary>
        public void Close()
        {
            if (_handle.IsClosed)
                throw new ObjectDisposedException(nameof(Recorder));
            _handle.Finish = true;
            Errors.Check(_handle.Release(), nameof(Native.tvk_recorder_close), _api);
        }

        internal RecorderHandle Handle => _handle;

        /// <summary>Leaves nothing at the path, unless closed before.</summary>
        public void Dispose() => _handle.Dispose();
    }
}
