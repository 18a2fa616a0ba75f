// A tuning session over the kit's session driver, with C# events.
using System;
using System.Runtime.ExceptionServices;
using System.Runtime.InteropServices;
using System.Text;

namespace Tavrel
{
    /// <summary>The host's camera: the part's position, or false when it is not seen.</summary>
    public delegate bool Camera(out float x, out float y);

    /// <summary>Optional settings of a session; null keeps the kit's default.</summary>
    public sealed class SessionOptions
    {
        /// <summary>Step budget; 0: none.</summary>
        public int? MaxSteps { get; set; }

        /// <summary>Full sweeps at top amplitude before the early verdict; 0: never.</summary>
        public int? VerdictSweeps { get; set; }

        /// <summary>Write the library's text to this file.</summary>
        public string DiagnosticsFile { get; set; }

        /// <summary>Hand each line of the library's text to this function.</summary>
        public Action<string> DiagnosticsLines { get; set; }
    }

    /// <summary>One step's report, passed with a session's events.</summary>
    public sealed class StepEventArgs : EventArgs
    {
        public StepReport Report { get; }

        public StepEventArgs(StepReport report)
        {
            Report = report;
        }
    }

    /// <summary>
    /// Tunes one action of one feeder model through the kit's session driver,
    /// which answers the library's statuses, keeps a step budget and declares
    /// hopeless tuning failed early. The library's text is discarded unless
    /// the options ask for it. One session per process: dispose it (using)
    /// before the next starts. Call it from one thread. An exception thrown by
    /// the camera or the feeder is rethrown from Step or Run.
    /// </summary>
    public sealed class Session : IDisposable
    {
        // The kit calls these while the session runs; a collected delegate
        // would leave it calling freed code. One session at a time, so one
        // pair, replaced only once the next session has started; the session
        // holds its own as well.
#pragma warning disable CS0414 // written only to be held
        static Kit.CameraFn s_camera;
        static Kit.FeederFn s_feeder;
#pragma warning restore CS0414

        readonly Kit.CameraFn _cameraFn;
        readonly Kit.FeederFn _feederFn;
        readonly Camera _camera;
        readonly Action<FeederCommand> _feeder;
        readonly Diagnostics _diagnostics;
        IntPtr _handle;
        ExceptionDispatchInfo _error;
        bool _calling;

        public int Model { get; }
        public int Action { get; }

        /// <summary>Every step's report.</summary>
        public event EventHandler<StepEventArgs> Stepped;

        /// <summary>The part arrived in a target area: put it back at its start now.</summary>
        public event EventHandler<StepEventArgs> Arrived;

        /// <summary>The outcome is decided (tuned, failed, budget spent or stopped).</summary>
        public event EventHandler<StepEventArgs> Decided;

        public Session(int model, int action, Camera camera, Action<FeederCommand> feeder,
                       SessionOptions options = null)
        {
            Arguments.ModelAction(model, action);
            _camera = camera ?? throw new ArgumentNullException(nameof(camera));
            _feeder = feeder ?? throw new ArgumentNullException(nameof(feeder));
            options = options ?? new SessionOptions();
            Model = model;
            Action = action;

            Kit.tvk_session_config_init(out SessionConfig config, model, action);
            config.MaxSteps = NotNegative(options.MaxSteps, config.MaxSteps, nameof(options.MaxSteps));
            config.VerdictSweeps =
                NotNegative(options.VerdictSweeps, config.VerdictSweeps, nameof(options.VerdictSweeps));
            _cameraFn = CameraTrampoline;
            _feederFn = FeederTrampoline;
            config.Camera = Marshal.GetFunctionPointerForDelegate(_cameraFn);
            config.Feeder = Marshal.GetFunctionPointerForDelegate(_feederFn);

            _diagnostics = StartDiagnostics(options);
            try
            {
                Kit.Check(Kit.tvk_session_start(ref config, out _handle), "start a session (one per process)");
            }
            catch
            {
                _diagnostics?.Dispose();
                throw;
            }
            s_camera = _cameraFn;
            s_feeder = _feederFn;
        }

        /// <summary>Runs one library step with the standard answers.</summary>
        public StepReport Step()
        {
            var report = Kit.NewStepReport();
            int result = Call(handle => Kit.tvk_session_step(handle, ref report));
            Kit.Check(result, "session step");
            var args = new StepEventArgs(report);
            Stepped?.Invoke(this, args);
            if ((report.Events & StepEvents.Arrived) != 0)
                Arrived?.Invoke(this, args);
            if (report.Outcome != Outcome.Running)
                Decided?.Invoke(this, args);
            return report;
        }

        /// <summary>Runs steps until the outcome is decided; returns the last report.</summary>
        public StepReport Run()
        {
            StepReport report;
            do
            {
                report = Step();
            } while (report.Outcome == Outcome.Running);
            return report;
        }

        /// <summary>A host command between steps (End stops the session).</summary>
        public void Command(HostCommand command)
        {
            if (!Enum.IsDefined(typeof(HostCommand), command))
                throw new ArgumentOutOfRangeException(nameof(command), command, "not a host command");
            Kit.Check(Call(handle => Kit.tvk_session_command(handle, (int)command)), "command " + command);
        }

        /// <summary>The five host parameters, between steps.</summary>
        public void SetParams(HostLogicParam parameters) =>
            Kit.Check(Call(handle => Kit.tvk_session_set_params(handle, ref parameters)), "set parameters");

        /// <summary>The five host parameters in force, read from the library.</summary>
        public HostLogicParam Params
        {
            get
            {
                Live();
                return Library.Params();
            }
        }

        /// <summary>Where the session stands.</summary>
        public Outcome Outcome => (Outcome)Kit.Check(Kit.tvk_session_outcome(Live(), null, 0), "outcome");

        /// <summary>Why the session ended, for a person; empty while running.</summary>
        public string Reason
        {
            get
            {
                var reason = new byte[Kit.ReasonMax];
                Kit.Check(Kit.tvk_session_outcome(Live(), reason, reason.Length), "outcome");
                int length = Array.IndexOf(reason, (byte)0);
                return Encoding.UTF8.GetString(reason, 0, length < 0 ? reason.Length : length);
            }
        }

        /// <summary>Ends the session and the capture it started.</summary>
        public void Dispose()
        {
            if (_calling)
                throw new InvalidOperationException("a session cannot end inside its own callbacks");
            if (_handle == IntPtr.Zero)
                return;
            Kit.tvk_session_end(_handle);
            _handle = IntPtr.Zero;
            _diagnostics?.Dispose();
        }

        int Call(Func<IntPtr, int> call)
        {
            IntPtr handle = Live();
            _calling = true;
            int result;
            try
            {
                result = call(handle);
            }
            finally
            {
                _calling = false;
            }
            var error = _error;
            _error = null;
            error?.Throw();
            _diagnostics?.RethrowHeld();
            return result;
        }

        IntPtr Live()
        {
            if (_handle == IntPtr.Zero)
                throw new ObjectDisposedException(nameof(Session), "the session has ended");
            return _handle;
        }

        // The trampolines: an exception must not unwind through the kit's C
        // frames, so it is held, the kit told of a host error, and the caller
        // of the step gets it.
        int CameraTrampoline(IntPtr user, out float x, out float y)
        {
            x = 0;
            y = 0;
            if (_error != null)
                return -1;
            try
            {
                return _camera(out x, out y) ? 1 : 0;
            }
            catch (Exception error)
            {
                _error = ExceptionDispatchInfo.Capture(error);
                return -1;
            }
        }

        int FeederTrampoline(IntPtr user, ref FeederCommand command)
        {
            if (_error != null)
                return -1;
            try
            {
                _feeder(command);
                return 0;
            }
            catch (Exception error)
            {
                _error = ExceptionDispatchInfo.Capture(error);
                return -1;
            }
        }

        static int NotNegative(int? value, int fallback, string name)
        {
            if (value < 0)
                throw new ArgumentOutOfRangeException(name, value, "must not be negative");
            return value ?? fallback;
        }

        static Diagnostics StartDiagnostics(SessionOptions options)
        {
            if (options.DiagnosticsFile != null)
                return Diagnostics.ToFile(options.DiagnosticsFile);
            if (options.DiagnosticsLines != null)
                return Diagnostics.ToLines(options.DiagnosticsLines);
            return Diagnostics.Active ? null : Diagnostics.Discard();
        }
    }
}
