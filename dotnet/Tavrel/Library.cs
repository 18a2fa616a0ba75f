// libtavrel's five entry points, for a host that drives the library itself.
using System.Runtime.InteropServices;

namespace Tavrel
{
    /// <summary>libtavrel's five entry points and its three host callbacks.</summary>
    public static class Library
    {
        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        public delegate HostMateInf CoordinateCallback();

        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        public delegate int FeederCallback(FeederCommand command);

        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        public delegate int StatusCallback(int status);

        // The library calls these until the next TVLInit: a collected delegate
        // would leave it calling freed code.
#pragma warning disable CS0414 // written only to be held
        static CoordinateCallback s_coordinate;
        static FeederCallback s_feeder;
        static StatusCallback s_status;
#pragma warning restore CS0414

        /// <summary>
        /// TVLInit: model 0..2, action 0..10; true when initialised. The three
        /// callbacks are kept alive until the next Init. They run inside Task:
        /// an exception must not leave them (it would unwind the library's C
        /// frames).
        /// </summary>
        public static bool Init(CoordinateCallback coordinate, FeederCallback feeder,
                                StatusCallback status, int model, int action)
        {
            s_coordinate = coordinate;
            s_feeder = feeder;
            s_status = status;
            return Native.TVLInit(coordinate, feeder, status, model, action) == 1;
        }

        /// <summary>TVLTask: one step of the tuning loop; the callbacks run inside it.</summary>
        public static TaskState Task() => (TaskState)Native.TVLTask();

        /// <summary>TVLLogicParamSet: the five host parameters.</summary>
        public static void SetParams(HostLogicParam p) =>
            Native.TVLLogicParamSet(p.AmpInit, p.AmpMax, p.FreInit, p.FreMax, p.RunTime);

        /// <summary>TVLLogicParamRe.</summary>
        public static HostLogicParam Params() => Native.TVLLogicParamRe();

        /// <summary>TVLLogicStaCol.</summary>
        public static void Command(HostCommand command) => Native.TVLLogicStaCol((int)command);
    }
}
