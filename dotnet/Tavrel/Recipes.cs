// The recipe store (libtavrel_recipes, tavrel_recipes.h): recipes per part,
// feeder and action in a SQLite file, the tuning that starts from them, the
// production command and self-commissioning. Loads "tavrel_recipes" on first
// use only, so a host without the store still uses the rest of the binding.
using System;
using System.Runtime.InteropServices;

namespace Tavrel
{
    /// <summary>The store's result codes (TVR_E_*).</summary>
    public enum RecipeErrorCode
    {
        Argument = -1,
        IO = -4,
        NoMemory = -7,
        Size = -8,
        Handle = -10,
        NotAStore = -101,
        Schema = -102,
        Unknown = -103,
        Model = -104,
        Format = -105,
        Drifted = -106,
        Database = -107,
        Kit = -108,
    }

    /// <summary>How a tuning started.</summary>
    public enum TuningStart { Cold = 0, Warm = 1, Commissioned = 2, Saved = 3, Imported = 4 }

    /// <summary>A call into the store failed: its code and the store's message (tvr_errmsg).</summary>
    public class RecipeException : Exception
    {
        public RecipeErrorCode Code { get; }
        public string Function { get; }
        public string StoreMessage { get; }

        public RecipeException(RecipeErrorCode code, string function, string storeMessage)
            : base($"{function}: {Marshal.PtrToStringAnsi(RecipeNative.tvr_strerror((int)code))}" +
                   (storeMessage.Length > 0 ? $": {storeMessage}" : ""))
        {
            Code = code;
            Function = function;
            StoreMessage = storeMessage;
        }

        internal static int Check(int result, string function)
        {
            if (result < 0)
                throw new RecipeException((RecipeErrorCode)result, function,
                                          Marshal.PtrToStringAnsi(RecipeNative.tvr_errmsg()) ?? "");
            return result;
        }
    }

    /// <summary>A recipe (TVR_Recipe): the last successful tuning of an action of a part on a feeder.</summary>
    [StructLayout(LayoutKind.Sequential, CharSet = CharSet.Ansi)]
    public struct Recipe
    {
        public uint Size;
        [MarshalAs(UnmanagedType.ByValTStr, SizeConst = 64)] public string Part;
        [MarshalAs(UnmanagedType.ByValTStr, SizeConst = 64)] public string Feeder;
        public int Model;
        public int Action;
        public FeederCommand Command;
        public HostLogicParam Params;
        /// <summary>Seconds since 1970 UTC.</summary>
        public long TunedAt;
        [MarshalAs(UnmanagedType.ByValTStr, SizeConst = 16)] public string LibraryVersion;
        public int Vibrations;
        public int Outcome;
        public int Drifted;
    }

    /// <summary>What the probes found (TVR_Commissioning).</summary>
    [StructLayout(LayoutKind.Sequential, CharSet = CharSet.Ansi)]
    public struct Commissioning
    {
        public uint Size;
        /// <summary>Running: Params hold the window; Failed: no word moves the part.</summary>
        public int Verdict;
        public int ProbeVibrations;
        public float BestFrequency;
        public float Moved;
        public HostLogicParam Params;
        [MarshalAs(UnmanagedType.ByValTStr, SizeConst = 192)] public string Reason;
    }

    /// <summary>What RecipeStore.Tune did (TVR_TuneResult).</summary>
    [StructLayout(LayoutKind.Sequential, CharSet = CharSet.Ansi)]
    public struct TuneResult
    {
        public uint Size;
        public int Outcome;
        public int Start;
        public int Warm;
        public int Drifted;
        public int Vibrations;
        public int WarmVibrations;
        public int ProbeVibrations;
        public FeederCommand Command;
        public HostLogicParam Params;
        [MarshalAs(UnmanagedType.ByValTStr, SizeConst = 192)] public string Reason;
    }

    /// <summary>How RecipeStore.Tune runs; null fields keep the store's defaults.</summary>
    public sealed class TuneOptions
    {
        public bool Commission { get; set; }
        public bool FleetVerdict { get; set; }
        public int? DriftMargin { get; set; }
        public int? MaxSteps { get; set; }
        public int? VerdictSweeps { get; set; }
    }

    [StructLayout(LayoutKind.Sequential)]
    internal struct TuneConfig
    {
        public uint Size;
        public IntPtr Part;
        public IntPtr Feeder;
        public int Model;
        public int Action;
        public IntPtr Camera;
        public IntPtr Drive;
        public IntPtr PutBack;
        public IntPtr User;
        public int MaxSteps;
        public int VerdictSweeps;
        public int DriftMargin;
        public int Commission;
        public int FleetVerdict;
    }

    internal static class RecipeNative
    {
        const string Store = "tavrel_recipes";

        // The binding's library names and record checks come first.
        static RecipeNative() =>
            System.Runtime.CompilerServices.RuntimeHelpers.RunClassConstructor(typeof(Native).TypeHandle);

        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        internal delegate void PutBackFn(IntPtr user);

        [DllImport(Store)] internal static extern IntPtr tvr_strerror(int code);
        [DllImport(Store)] internal static extern IntPtr tvr_errmsg();
        [DllImport(Store)] internal static extern int tvr_open(string path, out RecipeStoreHandle store);
        [DllImport(Store)] internal static extern int tvr_close(IntPtr store);
        [DllImport(Store)]
        internal static extern int tvr_recipe_get(RecipeStoreHandle store, string part, string feeder,
                                                  int action, ref Recipe recipe);
        [DllImport(Store)] internal static extern int tvr_recipe_put(RecipeStoreHandle store, ref Recipe recipe);
        [DllImport(Store)]
        internal static extern int tvr_recipe_delete(RecipeStoreHandle store, string part, string feeder,
                                                     int action);
        [DllImport(Store)]
        internal static extern int tvr_recipe_mark_drifted(RecipeStoreHandle store, string part,
                                                           string feeder, int action);
        [DllImport(Store)]
        internal static extern int tvr_production_command(RecipeStoreHandle store, string part,
                                                          string feeder, int action,
                                                          out FeederCommand command);
        [DllImport(Store)]
        internal static extern int tvr_export_json(RecipeStoreHandle store, string part, string feeder,
                                                   out IntPtr json, out UIntPtr length);
        [DllImport(Store)]
        internal static extern int tvr_import_json(RecipeStoreHandle store, byte[] json, out int imported);
        [DllImport(Store)] internal static extern void tvr_free(IntPtr memory);
        [DllImport(Store)] internal static extern int tvr_warm_params(ref Recipe recipe, out HostLogicParam param);
        [DllImport(Store)]
        internal static extern int tvr_commission(int model, int action, Native.CameraFn camera,
                                                  Native.FeederFn feeder, PutBackFn putBack, IntPtr user,
                                                  ref Commissioning found);
        [DllImport(Store)]
        internal static extern void tvr_tune_config_init(ref TuneConfig config, IntPtr part, IntPtr feeder,
                                                         int model, int action);
        [DllImport(Store)] internal static extern int tvr_tune(RecipeStoreHandle store, ref TuneConfig config,
                                                              ref TuneResult result);
    }

    /// <summary>An open store, closed exactly once by Dispose or the finalizer.</summary>
    internal sealed class RecipeStoreHandle : SafeHandle
    {
        public RecipeStoreHandle() : base(IntPtr.Zero, true) { }

        public override bool IsInvalid => handle == IntPtr.Zero;

        protected override bool ReleaseHandle() => RecipeNative.tvr_close(handle) == 0;
    }

    /// <summary>The host's camera, feeder and put-back as the store's callbacks; what they throw
    /// is held and thrown again after the store's call.</summary>
    internal sealed class HostCallbacks
    {
        internal readonly Native.CameraFn Camera;
        internal readonly Native.FeederFn Feeder;
        internal readonly RecipeNative.PutBackFn PutBack;

        internal HostCallbacks(Camera camera, Action<FeederCommand> feeder, Action putBack)
        {
            if (camera == null)
                throw new ArgumentNullException(nameof(camera));
            if (feeder == null)
                throw new ArgumentNullException(nameof(feeder));
            Camera = (IntPtr user, out float x, out float y) =>
            {
                float px = 0, py = 0;
                int seen = Callbacks.Guard(() => camera(out px, out py) ? 1 : 0);
                x = px;
                y = py;
                return seen;
            };
            Feeder = (IntPtr user, ref FeederCommand command) =>
            {
                FeederCommand copy = command;
                return Callbacks.Guard(() =>
                {
                    feeder(copy);
                    return 0;
                });
            };
            if (putBack != null)
                PutBack = user => Callbacks.Guard(() =>
                {
                    putBack();
                    return 0;
                });
        }

        /// <summary>Runs a store call that drives the library with its text discarded, unless
        /// the program captures it already.</summary>
        internal static int Quietly(Func<int> call)
        {
            using (Diagnostics.Active ? null : Diagnostics.Discard())
                return call();
        }

        /// <summary>Throws what a callback threw, else the store's failure.</summary>
        internal void Finish(int result, string function)
        {
            try
            {
                Callbacks.Finish(0, function);
            }
            finally
            {
                GC.KeepAlive(this);
            }
            RecipeException.Check(result, function);
        }
    }

    /// <summary>A recipe store (a SQLite file); the default one per the XDG rules for a null path.</summary>
    public sealed class RecipeStore : IDisposable
    {
        readonly RecipeStoreHandle _handle;

        public RecipeStore(string path = null)
        {
            RecipeException.Check(RecipeNative.tvr_open(path, out _handle), "tvr_open");
        }

        public void Dispose() => _handle.Dispose();

        RecipeStoreHandle Handle =>
            _handle.IsClosed ? throw new ObjectDisposedException(nameof(RecipeStore)) : _handle;

        public Recipe Get(string part, string feeder, int action)
        {
            var recipe = new Recipe { Size = (uint)Marshal.SizeOf<Recipe>() };
            RecipeException.Check(RecipeNative.tvr_recipe_get(Handle, part, feeder, action, ref recipe),
                                  "tvr_recipe_get");
            return recipe;
        }

        public void Put(Recipe recipe)
        {
            recipe.Size = (uint)Marshal.SizeOf<Recipe>();
            RecipeException.Check(RecipeNative.tvr_recipe_put(Handle, ref recipe), "tvr_recipe_put");
        }

        /// <summary>One recipe, or every action of the part on the feeder for a null action.</summary>
        public void Delete(string part, string feeder, int? action = null) =>
            RecipeException.Check(RecipeNative.tvr_recipe_delete(Handle, part, feeder, action ?? -1),
                                  "tvr_recipe_delete");

        public void MarkDrifted(string part, string feeder, int action) =>
            RecipeException.Check(RecipeNative.tvr_recipe_mark_drifted(Handle, part, feeder, action),
                                  "tvr_recipe_mark_drifted");

        /// <summary>The stored command to send without tuning; Drifted for a drifted recipe.</summary>
        public FeederCommand ProductionCommand(string part, string feeder, int action)
        {
            RecipeException.Check(RecipeNative.tvr_production_command(Handle, part, feeder, action,
                                                                       out FeederCommand command),
                                  "tvr_production_command");
            return command;
        }

        public string ExportJson(string part = null, string feeder = null)
        {
            RecipeException.Check(RecipeNative.tvr_export_json(Handle, part, feeder, out IntPtr json,
                                                                out UIntPtr length),
                                  "tvr_export_json");
            try
            {
                var bytes = new byte[(int)length.ToUInt32()];
                Marshal.Copy(json, bytes, 0, bytes.Length);
                return System.Text.Encoding.UTF8.GetString(bytes);
            }
            finally
            {
                RecipeNative.tvr_free(json);
            }
        }

        /// <summary>Imports an export, all recipes or none; returns how many.</summary>
        public int ImportJson(string json)
        {
            if (json == null)
                throw new ArgumentNullException(nameof(json));
            byte[] text = System.Text.Encoding.UTF8.GetBytes(json + "\0");
            RecipeException.Check(RecipeNative.tvr_import_json(Handle, text, out int imported),
                                  "tvr_import_json");
            return imported;
        }

        /// <summary>The host parameters that start a re-tune from a recipe (its words pinned).</summary>
        public static HostLogicParam WarmParams(Recipe recipe)
        {
            recipe.Size = (uint)Marshal.SizeOf<Recipe>();
            RecipeException.Check(RecipeNative.tvr_warm_params(ref recipe, out HostLogicParam param),
                                  "tvr_warm_params");
            return param;
        }

        /// <summary>Probes the feeder through the host's callbacks (no session may run).</summary>
        public static Commissioning Commission(int model, int action, Camera camera,
                                               Action<FeederCommand> feeder, Action putBack = null)
        {
            var callbacks = new HostCallbacks(camera, feeder, putBack);
            var found = new Commissioning { Size = (uint)Marshal.SizeOf<Commissioning>() };
            int result = HostCallbacks.Quietly(() => RecipeNative.tvr_commission(
                model, action, callbacks.Camera, callbacks.Feeder, callbacks.PutBack, IntPtr.Zero,
                ref found));
            callbacks.Finish(result, "tvr_commission");
            return found;
        }

        /// <summary>Tunes from the recipe (warm start), falls back to a full tuning when it has
        /// drifted, with the probes first when asked, and keeps the result.</summary>
        public TuneResult Tune(string part, string feeder, int model, int action, Camera camera,
                               Action<FeederCommand> drive, Action putBack = null,
                               TuneOptions options = null)
        {
            options = options ?? new TuneOptions();
            var callbacks = new HostCallbacks(camera, drive, putBack);
            IntPtr partText = Marshal.StringToHGlobalAnsi(part);
            IntPtr feederText = Marshal.StringToHGlobalAnsi(feeder);
            try
            {
                var config = new TuneConfig { Size = (uint)Marshal.SizeOf<TuneConfig>() };
                RecipeNative.tvr_tune_config_init(ref config, partText, feederText, model, action);
                config.Camera = Marshal.GetFunctionPointerForDelegate(callbacks.Camera);
                config.Drive = Marshal.GetFunctionPointerForDelegate(callbacks.Feeder);
                config.PutBack = callbacks.PutBack == null
                                     ? IntPtr.Zero
                                     : Marshal.GetFunctionPointerForDelegate(callbacks.PutBack);
                config.Commission = options.Commission ? 1 : 0;
                config.FleetVerdict = options.FleetVerdict ? 1 : 0;
                config.DriftMargin = options.DriftMargin ?? config.DriftMargin;
                config.MaxSteps = options.MaxSteps ?? config.MaxSteps;
                config.VerdictSweeps = options.VerdictSweeps ?? config.VerdictSweeps;
                var result = new TuneResult { Size = (uint)Marshal.SizeOf<TuneResult>() };
                int done = HostCallbacks.Quietly(() => RecipeNative.tvr_tune(Handle, ref config, ref result));
                callbacks.Finish(done, "tvr_tune");
                return result;
            }
            finally
            {
                Marshal.FreeHGlobal(partText);
                Marshal.FreeHGlobal(feederText);
            }
        }
    }
}
