// The records that cross into libtavrel and the host kit, laid out as the C
// headers declare them (tavrel.h, tavrel_hostkit.h). Layout.Verify checks the
// three library records' sizes before the first call.
using System;
using System.Runtime.InteropServices;

namespace Tavrel
{
    /// <summary>What the coordinate callback returns, by value: 12 bytes.</summary>
    [StructLayout(LayoutKind.Sequential)]
    public struct HostMateInf
    {
        public float PosX;
        public float PosY;
        /// <summary>Non-zero: a new observation of the part; 0: none.</summary>
        public int MateReco;

        public HostMateInf(float x, float y, bool seen)
        {
            PosX = x;
            PosY = y;
            MateReco = seen ? 1 : 0;
        }
    }

    /// <summary>The four words that drive one motor.</summary>
    [StructLayout(LayoutKind.Sequential)]
    public struct MotorWords
    {
        public ushort Amplitude;
        public ushort Frequency;
        public ushort Phase;
        public ushort Mode;

        public override string ToString() => $"{Amplitude}/{Frequency}/{Phase}/{Mode}";
    }

    /// <summary>A feeder command, passed by value to the feeder callback: 40 bytes.</summary>
    [StructLayout(LayoutKind.Sequential)]
    public struct FeederCommand
    {
        public int Action;
        public MotorWords Motor0;
        public MotorWords Motor1;
        public MotorWords Motor2;
        public MotorWords Motor3;
        /// <summary>Run time of the vibration.</summary>
        public ushort RunTime;
        /// <summary>Always 0.</summary>
        public ushort Fill;

        /// <summary>The words of motor 0..3.</summary>
        public MotorWords this[int motor]
        {
            get
            {
                switch (motor)
                {
                    case 0: return Motor0;
                    case 1: return Motor1;
                    case 2: return Motor2;
                    case 3: return Motor3;
                    default: throw new ArgumentOutOfRangeException(nameof(motor), motor, "motors are 0 to 3");
                }
            }
            set
            {
                switch (motor)
                {
                    case 0: Motor0 = value; break;
                    case 1: Motor1 = value; break;
                    case 2: Motor2 = value; break;
                    case 3: Motor3 = value; break;
                    default: throw new ArgumentOutOfRangeException(nameof(motor), motor, "motors are 0 to 3");
                }
            }
        }
    }

    /// <summary>The five host-tunable parameters (TVLLogicParamRe): 16 bytes.</summary>
    [StructLayout(LayoutKind.Sequential)]
    public struct HostLogicParam
    {
        public uint Reserved;
        public ushort AmpInit;
        public ushort AmpMax;
        public ushort FreInit;
        public ushort FreMax;
        public ushort RunTime;
        public ushort Reserved2;
    }

    /// <summary>What the library's factory configuration makes of a model and action.</summary>
    [StructLayout(LayoutKind.Sequential)]
    public partial struct Geometry
    {
        public uint Size;
        public int Model;
        public int Action;
        public float XLow;
        public float XHigh;
        public float YLow;
        public float YHigh;
        /// <summary>1: area i is one of the action's targets.</summary>
        [MarshalAs(UnmanagedType.ByValArray, SizeConst = Kit.AreaCount)]
        public int[] Target;
        /// <summary>How the action uses each motor (MotorUse).</summary>
        [MarshalAs(UnmanagedType.ByValArray, SizeConst = Kit.MotorCount)]
        public int[] Motor;
        public int SuccessCount;
    }

    /// <summary>A session's configuration (TVK_SessionConfig); Session fills it.</summary>
    [StructLayout(LayoutKind.Sequential)]
    internal struct SessionConfig
    {
        public uint Size;
        public int Model;
        public int Action;
        public int MaxSteps;
        public int VerdictSweeps;
        public IntPtr Camera;
        public IntPtr Feeder;
        public IntPtr User;
        /// <summary>Answers; since 1.2.0.</summary>
        public int Answers;
    }

    /// <summary>One session step as the host saw it (TVK_StepReport).</summary>
    [StructLayout(LayoutKind.Sequential, CharSet = CharSet.Ansi)]
    public struct StepReport
    {
        public uint Size;
        public int Step;
        public TaskState Task;
        public int Seen;
        public float X;
        public float Y;
        public float DX;
        public float DY;
        /// <summary>Area of (X, Y), -1 when the part was not seen.</summary>
        public int Area;
        public int StatusCount;
        [MarshalAs(UnmanagedType.ByValArray, SizeConst = Kit.StatusMax)]
        public int[] Status;
        /// <summary>Command the driver gave after the step, -1 for none.</summary>
        public int HostCommand;
        public StepEvents Events;
        public Outcome Outcome;
        public int Vibrations;
        public int Commanded;
        /// <summary>The command of this step, or the last one before it.</summary>
        public FeederCommand Command;
        [MarshalAs(UnmanagedType.ByValTStr, SizeConst = Kit.ReasonMax)]
        public string Reason;
    }

    [StructLayout(LayoutKind.Sequential)]
    public struct SimRange
    {
        public double Lo;
        public double Hi;
    }

    /// <summary>The ranges a model's simulated feeders are drawn from.</summary>
    [StructLayout(LayoutKind.Sequential)]
    public struct SimRanges
    {
        public uint Size;
        public SimRange Resonance;
        public SimRange HalfWidth;
        public SimRange Gain;
        public SimRange Friction;
        public SimRange Noise;
        public SimRange Mismatch;
        // Since 1.2.0; {0, 0} takes the model's default.
        public SimRange Kinetic;
        public SimRange Lift;
        public SimRange Restitution;
        public SimRange Scatter;
        public SimRange ResonanceWear;
        public SimRange FrictionWear;
        public SimRange AgeHours;
        public SimRange Load;
    }

    /// <summary>One drawn simulated feeder's constants.</summary>
    [StructLayout(LayoutKind.Sequential)]
    public struct SimParams
    {
        public uint Size;
        public double Resonance;
        public double HalfWidth;
        public double Gain;
        public double Friction;
        public double Noise;
        public double Mismatch;
        [MarshalAs(UnmanagedType.ByValArray, SizeConst = Kit.MotorCount)]
        public double[] MotorGain;
        public double Kinetic;
        public double Lift;
        public double Restitution;
        public double Scatter;
        public double ResonanceWear;
        public double FrictionWear;
        public double AgeHours;
        public double Load;
        public double MmPerUnit;
        public double Q;
        public double ResonanceNow;
        public double FrictionNow;
    }

    /// <summary>What one feeder command does to the part where it lies (tvk_sim_probe).</summary>
    [StructLayout(LayoutKind.Sequential)]
    public struct SimProbe
    {
        public uint Size;
        public double HorizontalUm;
        public double VerticalUm;
        public double AccelG;
        public double ThrowG;
        public double SpeedMmPerS;
        public double Kv;
        public double Flight;
    }

    /// <summary>The sizes the library and every host agree on.</summary>
    public static class Layout
    {
        public const int HostMateInfSize = 12;
        public const int FeederCommandSize = 40;
        public const int HostLogicParamSize = 16;

        /// <summary>Throws when this runtime lays a record out differently.</summary>
        public static void Verify()
        {
            Expect(typeof(HostMateInf), HostMateInfSize);
            Expect(typeof(FeederCommand), FeederCommandSize);
            Expect(typeof(HostLogicParam), HostLogicParamSize);
        }

        static void Expect(Type record, int size)
        {
            int actual = Marshal.SizeOf(record);
            if (actual != size)
                throw new PlatformNotSupportedException(
                    $"{record.Name} is {actual} bytes in this runtime; the library needs {size}");
        }
    }
}
