// Float tracks: Kochanek-Bartels tangents, eased Hermite segments and the search cursor.
#include <cmath>

#include "keyframe/keyframe.h"
#include "keyframe/key_list.h"

float EaseParameter(float t, float easeFrom, float easeTo) {
  float f = easeFrom;
  float e = easeTo;
  const float sum = f + e;
  if (sum == 0.0f) return t;
  if (sum > 1.0f) {  // the two eases together may take at most the whole segment
    f /= sum;
    e /= sum;
  }
  const float k = 1.0f / (2.0f - f - e);
  // A zero ease has no curved part: its branch would divide by zero for t outside 0..1.
  if (f != 0.0f && t < f) return (k / f) * t * t;
  if (e == 0.0f || t < 1.0f - e) return k * (2.0f * t - f);
  return 1.0f - (k / e) * (1.0f - t) * (1.0f - t);
}

FloatTrack::~FloatTrack() { DeleteKeys(first); }

void FloatTrack::addKey(float frame, float value) {
  FloatKey* key = new FloatKey;
  key->frame = frame;
  key->value = value;
  AppendKey(*this, key);
}

void FloatTrack::addKeyWithParameters(float frame, float value, float bias, float continuity,
                                      float tension, float easeTo, float easeFrom) {
  FloatKey* key = new FloatKey;
  key->frame = frame;
  key->value = value;
  key->bias = bias;
  key->continuity = continuity;
  key->tension = tension;
  key->easeTo = easeTo;
  key->easeFrom = easeFrom;
  AppendKey(*this, key);
}

namespace {
// a / b, or `fallback` when keys share a frame and b is zero.
float Ratio(float a, float b, float fallback) { return b != 0.0f ? a / b : fallback; }

// The end keys' tangent: a parabola through the three keys at that end, damped by tension.
// `near` is the neighbour, `far` the key after it; span ratio 0.25 means equal spacing.
float EndTangent(const FloatKey& end, const FloatKey& near, const FloatKey& far, float nearSpan,
                 float farSpan) {
  const float a = (end.prev == nullptr) ? far.value - end.value : end.value - far.value;
  const float g = a * 0.5f;
  const float nearStep = (end.prev == nullptr) ? near.value - end.value : end.value - near.value;
  return (g + a * (0.25f - Ratio(nearSpan, farSpan * 2.0f, 0.25f)) + (nearStep - g) * 1.5f) *
         (1.0f - end.tension);
}
}  // namespace

void FloatTrack::finish() {
  if (keyCount <= 2) return;  // the line and the constant read no tangent
  for (FloatKey* k = first->next; k->next != nullptr; k = k->next) {
    const FloatKey& p = *k->prev;
    const FloatKey& n = *k->next;
    const float d = (n.frame - p.frame) * 0.5f;
    const float a = Ratio(k->frame - p.frame, d, 1.0f);
    const float b = Ratio(n.frame - k->frame, d, 1.0f);
    const float gamma = std::fabs(k->continuity);
    const float a2 = a + gamma - gamma * a;
    const float b2 = b + gamma - gamma * b;
    const float tension = 0.5f * (1.0f - k->tension);
    const float cm = tension * (1.0f - k->continuity);
    const float cp = tension * (2.0f - (1.0f - k->continuity));
    const float bm = 1.0f - k->bias;
    const float bp = 2.0f - (1.0f - k->bias);
    const float dp = k->value - p.value;
    const float dn = n.value - k->value;
    k->inTangent = dp * (a2 * cm * bp) + dn * (a2 * cp * bm);
    k->outTangent = dp * (b2 * cp * bp) + dn * (b2 * cm * bm);
  }
  FloatKey& f = *first;
  const FloatKey& s = *f.next;
  const FloatKey& h = *s.next;
  f.outTangent = EndTangent(f, s, h, s.frame - f.frame, h.frame - f.frame);
  f.inTangent = 0.0f;
  FloatKey& l = *last;
  const FloatKey& m = *l.prev;
  const FloatKey& g = *m.prev;
  l.inTangent = EndTangent(l, m, g, l.frame - m.frame, l.frame - g.frame);
  l.outTangent = 0.0f;
}

float FloatTrack::evaluate(float frame) {
  if (keyCount == 0) return 0.0f;
  if (keyCount == 1) return first->value;
  if (keyCount == 2) {
    const float span = last->frame - first->frame;
    if (span == 0.0f) return last->value;
    return first->value + (frame - first->frame) / span * (last->value - first->value);
  }
  // Increasing frames continue from the cursor; an earlier frame starts again from the first key.
  FloatKey* k0 = (cursor != nullptr && cursor->frame <= frame) ? cursor : first;
  while (k0->next != nullptr && k0->next->frame <= frame) k0 = k0->next;
  if (k0 == last) return last->value;
  cursor = k0;
  const FloatKey& k1 = *k0->next;
  const float span = k1.frame - k0->frame;
  if (span == 0.0f) return k1.value;
  const float t = (frame - k0->frame) / span;
  const float s = EaseParameter(t, k0->easeFrom, k1.easeTo);
  const float s2 = s * s;
  const float s3 = s2 * s;
  const float h00 = 2.0f * s3 - 3.0f * s2 + 1.0f;
  const float h01 = 3.0f * s2 - 2.0f * s3;
  const float h10 = s3 - 2.0f * s2 + s;
  const float h11 = s3 - s2;
  return h00 * k0->value + h10 * k0->outTangent + h01 * k1.value + h11 * k1.inTangent;
}
