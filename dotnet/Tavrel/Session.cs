// A tuning session over the kit's session driver, with C# events.
using System;
using System.Runtime.InteropServices;
using System.Text;
using System.Threading;

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

        /// <summary>Who answers the library's statuses (default: the kit's driver).</summary>
        public Answers Answers { get; set; }

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
    /// the options ask for it. One session per process, or per instance:
    /// dispose it (using) before the next starts; one never disposed ends when it is collected.
    /// Call it from one thread. An exception thrown during a step by the
    /// camera, the feeder or a diagnostics line function is rethrown from Step
    /// or Run; a thread aborted inside them is aborted again once the kit has
    /// returned.
    /// </summary>
    public sealed class Session : IDisposable
    {
        readonly Camera _camera;
        readonly Action<FeederCommand> _feeder;
        readonly SessionHandle _handle;
        readonly KitApi _api;
        int _callingThread; // the thread in a kit call that runs the callbacks, 0 for none

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
            : this(model, action, camera, feeder, options, null) { }

        /// <summary>A session on an instance (null: the process's own copy). Since 1.3.0.</summary>
        public Session(int model, int action, Camera camera, Action<FeederCommand> feeder,
                       SessionOptions options, Instance instance)
        {
            Arguments.ModelAction(model, action);
            _api = Instance.ApiOf(instance);
            _camera = camera ?? throw new ArgumentNullException(nameof(camera));
            _feeder = feeder ?? throw new ArgumentNullException(nameof(feeder));
            options = options ?? new SessionOptions();
            if (!Enum.IsDefined(typeof(Answers), options.Answers))
                throw new ArgumentOutOfRangeException(nameof(options.Answers), options.Answers,
                                                      "not an Answers value");
            Model = model;
            Action = action;

            SessionConfig config = DefaultConfig(_api, model, action);
            config.MaxSteps = NotNegative(options.MaxSteps, config.MaxSteps, nameof(options.MaxSteps));
            config.VerdictSweeps =
                NotNegative(options.VerdictSweeps, config.VerdictSweeps, nameof(options.VerdictSweeps));
            config.Answers = (int)options.Answers;
            Native.CameraFn cameraFn = CameraTrampoline;
            Native.FeederFn feederFn = FeederTrampoline;
            config.Camera = Marshal.GetFunctionPointerForDelegate(cameraFn);
            config.Feeder = Marshal.GetFunctionPointerForDelegate(feederFn);

            Diagnostics diagnostics = StartDiagnostics(options, instance);
            try
            {
                Errors.Check(_api.session_start(ref config, out _handle), nameof(Native.tvk_session_start),
                             _api);
                _handle.Adopt(_api);
            }
            catch
            {
                diagnostics?.Dispose();
                throw;
            }
            _handle.Camera = cameraFn;
            _handle.Feeder = feederFn;
            _handle.Capture = diagnostics?.Handle;
        }

        /// <summary>Runs one library step, with the answers the options chose.</summary>
        public StepReport Step()
        {
            var report = Kit.NewStepReport();
            Call(handle => _api.session_step(handle, ref report), nameof(Native.tvk_session_step));
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
            Errors.Check(_api.session_command(_handle, (int)command), nameof(Native.tvk_session_command),
                         _api);
        }

        /// <summary>The five host parameters, between steps.</summary>
        public void SetParams(HostLogicParam parameters) =>
            Errors.Check(_api.session_set_params(_handle, ref parameters),
                         nameof(Native.tvk_session_set_params), _api);

        /// <summary>The five host parameters in force, read from the library.</summary>
        public HostLogicParam Params
        {
            get
            {
                if (_handle.IsClosed)
                    throw new ObjectDisposedException(nameof(Session), "the session has ended");
                return _api.logic_params();
            }
        }

        /// <summary>Where the session stands.</summary>
        public Outcome Outcome =>
            (Outcome)Errors.Check(_api.session_outcome(_handle, null, 0),
                                  nameof(Native.tvk_session_outcome), _api);

        /// <summary>Why the session ended, for a person; empty while running.</summary>
        public string Reason
        {
            get
            {
                var reason = new byte[Kit.ReasonMax];
                Errors.Check(_api.session_outcome(_handle, reason, reason.Length),
                             nameof(Native.tvk_session_outcome), _api);
                int length = Array.IndexOf(reason, (byte)0);
                return Encoding.UTF8.GetString(reason, 0, length < 0 ? reason.Length : length);
            }
        }

        internal SessionHandle Handle => _handle;

        /// <summary>
        /// Ends the session and the capture it started. Disposed on another
        /// thread during a step, the session ends when the step returns.
        /// </summary>
        public void Dispose()
        {
            // From inside its own callbacks the kit refuses the end
            // (TavrelReentryException) and the session goes on.
            if (_callingThread == Thread.CurrentThread.ManagedThreadId)
                Errors.Check(_api.session_end(_handle.DangerousGetHandle()),
                             nameof(Native.tvk_session_end), _api);
            Callbacks.Finish(_handle.Release(), nameof(Native.tvk_session_end), _api);
        }

        void Call(Func<SessionHandle, int> call, string function)
        {
            _callingThread = Thread.CurrentThread.ManagedThreadId;
            int result;
            try
            {
                result = call(_handle);
            }
            finally
            {
                _callingThread = 0;
            }
            Callbacks.Finish(result, function, _api);
        }

        int CameraTrampoline(IntPtr user, out float x, out float y)
        {
            float seenX = 0, seenY = 0;
            int result = Callbacks.Guard(() => _camera(out seenX, out seenY) ? 1 : 0);
            x = seenX;
            y = seenY;
            return result;
        }

        int FeederTrampoline(IntPtr user, ref FeederCommand command)
        {
            FeederCommand given = command;
            return Callbacks.Guard(() =>
            {
                _feeder(given);
                return 0;
            });
        }

        // The kit's defaults, written for this binding's size of the record.
        static SessionConfig DefaultConfig(KitApi api, int model, int action)
        {
            var config = new SessionConfig();
            api.session_config_init_sized(ref config, (uint)Marshal.SizeOf(typeof(SessionConfig)), model,
                                          action);
            return config;
        }

        static int NotNegative(int? value, int fallback, string name)
        {
            if (value < 0)
                throw new ArgumentOutOfRangeException(name, value, "must not be negative");
            return value ?? fallback;
        }

        static Diagnostics StartDiagnostics(SessionOptions options, Instance instance)
        {
            if (options.DiagnosticsFile != null)
                return Diagnostics.ToFile(options.DiagnosticsFile, false, instance);
            if (options.DiagnosticsLines != null)
                return Diagnostics.ToLines(options.DiagnosticsLines, instance);
            return Diagnostics.IsActive(instance) ? null : Diagnostics.Discard(instance);
        }
    }
}
