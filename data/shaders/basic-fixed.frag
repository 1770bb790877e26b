#version 120

uniform sampler2D texture0;

varying vec3 colour;
varying vec2 texCoord;

void main() {
    // Vertex colour tints the texture (text colour, car tints); alpha comes from the texture.
    gl_FragColor = texture2D(texture0, texCoord) * vec4(colour, 1.0);
}
